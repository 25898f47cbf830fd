#include "command_line.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace zovctl {

CommandLine::CommandLine(int argc, char** argv, const std::vector<std::string>& valueOptions,
                         const std::vector<std::string>& flags) {
  auto known = [](const std::vector<std::string>& list, const std::string& s) {
    return std::find(list.begin(), list.end(), s) != list.end();
  };
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--") {
      for (++i; i < argc; ++i) words_.push_back(argv[i]);
      break;
    }
    if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
      std::string name = arg.substr(2);
      std::string value;
      size_t eq = name.find('=');
      bool inlineValue = eq != std::string::npos;
      if (inlineValue) {
        value = name.substr(eq + 1);
        name.resize(eq);
      }
      if (known(flags, name)) {
        if (inlineValue) throw UsageError{"option --" + name + " takes no value"};
        options_[name] = "";
      } else if (known(valueOptions, name)) {
        if (!inlineValue) {
          if (i + 1 >= argc) throw UsageError{"option --" + name + " needs a value"};
          value = argv[++i];
        }
        options_[name] = value;
      } else {
        throw UsageError{"unknown option --" + name};
      }
      continue;
    }
    words_.push_back(arg);
  }
}

std::string CommandLine::option(const std::string& name, const std::string& fallback) const {
  auto it = options_.find(name);
  return it == options_.end() ? fallback : it->second;
}

long CommandLine::integerOption(const std::string& name, long fallback) const {
  auto it = options_.find(name);
  if (it == options_.end()) return fallback;
  const std::string& text = it->second;
  char* end = nullptr;
  errno = 0;
  long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno == ERANGE)
    throw UsageError{"option --" + name + " needs a whole number, not \"" + text + "\""};
  return value;
}

void CommandLine::refuseOptionsBut(const std::string& command,
                                   std::initializer_list<const char*> allowed) const {
  for (const auto& option : options_) {
    const std::string& name = option.first;
    if (name == "machine" || name == "directory" || name == "help") continue;
    bool takes = false;
    for (const char* a : allowed) takes = takes || name == a;
    if (!takes) throw UsageError{"option --" + name + " does not apply to " + command};
  }
}

short ParseShort(const std::string& text, const std::string& what) {
  auto bad = [&]() {
    return UsageError{what + " needs a whole number from -32768 to 32767, not \"" + text + "\""};
  };
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  if (i == text.size()) throw bad();
  long value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') throw bad();
    value = value * 10 + (text[i] - '0');
    if (value > 32768) throw bad();  // no overflow however many digits follow
  }
  if (negative) value = -value;
  if (value > 32767) throw bad();
  return static_cast<short>(value);
}

}  // namespace zovctl
