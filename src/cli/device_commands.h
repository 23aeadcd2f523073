#pragma once
// vm31ctl's device commands. Each takes the arguments after its own name and returns the exit
// status (the table of cli_support.h). The mouse is found on the hidraw nodes and as the
// emulated mouse (while `vm31ctl emulator run` runs) on Linux, among the HID interfaces on
// Windows, with no flag needed.

#include <string>
#include <vector>

namespace vm31::cli {

// vm31ctl status [--json]: whether the mouse is present; when it is, its sensor type, rate and
// option bytes. Exit 0 present, 1 absent or not accessible, 4 busy with another program (the
// table of vm31ctl --help).
int RunStatus(const std::vector<std::string>& args);

// vm31ctl apply [--config FILE] [--prefs FILE]: open, handshake, sensor refresh, then the apply
// sequence, and save config.bin and the button captions of str.ini, as the window's Apply does.
// Exit 0 applied, 1 mouse absent (nothing sent or saved), 3 a file would not load (nothing sent)
// or could not be saved, 4 a transfer failed or the macros read back differ (config.bin is
// still saved).
int RunApply(const std::vector<std::string>& args);

// vm31ctl watch [--json]: prints plugging and the switches made on the mouse, one line each (in
// words, or one JSON object with "event" and "text"), written out as each comes, until
// interrupted (SIGINT or SIGTERM end it with status 0).
int RunWatch(const std::vector<std::string>& args);

}  // namespace vm31::cli
