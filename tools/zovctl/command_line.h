// zovctl's command line: positional words and "--name value" options, with usage errors that say
// what was wrong.
#pragma once

#include <initializer_list>
#include <map>
#include <string>
#include <vector>

namespace zovctl {

struct UsageError {
  std::string message;
};

class CommandLine {
 public:
  // valueOptions: options that take a value ("--machine"); flags: options without one ("--json").
  CommandLine(int argc, char** argv, const std::vector<std::string>& valueOptions,
              const std::vector<std::string>& flags);

  const std::vector<std::string>& words() const { return words_; }
  bool has(const std::string& option) const { return options_.count(option) != 0; }
  std::string option(const std::string& name, const std::string& fallback) const;
  // The option as a decimal integer; throws UsageError when it is not one.
  long integerOption(const std::string& name, long fallback) const;
  // Throws UsageError ("option --ncu does not apply to select") for an option given that
  // `command` does not take: one that is not in `allowed` nor one of zovctl's own, --machine and
  // --help, which every command takes.
  void refuseOptionsBut(const std::string& command, std::initializer_list<const char*> allowed) const;

 private:
  std::vector<std::string> words_;
  std::map<std::string, std::string> options_;
};

// A decimal whole number from -32768 to 32767 (optional sign, digits only: no blanks, no other
// base); throws UsageError naming `what` otherwise.
short ParseShort(const std::string& text, const std::string& what);

}  // namespace zovctl
