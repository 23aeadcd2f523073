#pragma once
// vm31ctl's commands on the program's files: config show/check/factory, macro list/show/compile.
// Each takes the words after its command name and returns the exit status.

#include <string>
#include <vector>

namespace vm31::cli {

int RunConfigShow(const std::vector<std::string>& args);
int RunConfigCheck(const std::vector<std::string>& args);
int RunConfigFactory(const std::vector<std::string>& args);
int RunMacroList(const std::vector<std::string>& args);
int RunMacroShow(const std::vector<std::string>& args);
int RunMacroCompile(const std::vector<std::string>& args);

}  // namespace vm31::cli
