#include "CpSDL.h"

int main(int, char**) {
  CCpSDL cCpSDL("Vantrel", "");
  cCpSDL.Run();
  return 0;
}
