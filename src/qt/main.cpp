// KOR_VM31: the mouse's settings program. It starts in the tray; see CTarnwickApp.
#include "qt/tarnwick_app.h"

int main(int argc, char** argv) {
  return vm31::qt::CTarnwickApp::run(argc, argv);
}
