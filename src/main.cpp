#include "CpSDL.h"

int main(int, char**) {
  // Static storage: the application object, and through it the renderer and
  // the held keys, stay reachable until the process ends; nothing is torn down.
  static CCpSDL cCpSDL("Vantrel", "");
  cCpSDL.Run();
  return 0;
}
