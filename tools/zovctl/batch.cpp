#include "batch.h"

namespace zovctl {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

ServerCall ParseLine(const std::string& text) {
  std::vector<std::string> words = SplitCallLine(text);
  // The words as a command line of their own (argv[0] stands for the program), so that options
  // are written and checked exactly as on zovctl's command line.
  std::vector<char*> argv;
  std::string program = "zovctl";
  argv.push_back(&program[0]);
  for (std::string& word : words) argv.push_back(&word[0]);
  CommandLine line(static_cast<int>(argv.size()), argv.data(), {"channel", "access"}, {"trace"});
  return ParseServerCall(line.words(), line);
}

}  // namespace

std::vector<std::string> SplitCallLine(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false, quoted = false;
  for (char c : line) {
    if (c == '\0') throw UsageError{"a NUL character in the line"};
    if (c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if (IsBlank(c) && !quoted) {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (quoted) throw UsageError{"a quote is left open"};
  if (inWord) words.push_back(word);
  return words;
}

std::vector<ServerCall> ParseBatch(std::istream& input) {
  std::vector<ServerCall> calls;
  std::string errors;
  std::string text;
  for (int number = 1; std::getline(input, text); ++number) {
    if (!text.empty() && text.back() == '\r') text.pop_back();
    size_t first = 0;
    while (first < text.size() && IsBlank(text[first])) ++first;
    if (first == text.size() || text[first] == '#') continue;
    try {
      ServerCall call = ParseLine(text);
      call.lineNumber = number;
      calls.push_back(call);
    } catch (const UsageError& e) {
      if (!errors.empty()) errors += '\n';
      errors += "line " + std::to_string(number) + ": " + e.message;
    }
  }
  if (!errors.empty()) throw UsageError{errors};
  return calls;
}

}  // namespace zovctl
