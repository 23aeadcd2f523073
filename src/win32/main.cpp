#include "win32/tarnwick_app.h"

int main() {
  return vm31::win32::RunTarnwickApp();
}
