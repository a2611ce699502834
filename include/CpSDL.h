// The application object: window, frame loop, held keys and input.
#ifndef VANTREL_CPSDL_H
#define VANTREL_CPSDL_H

#include <SDL/SDL.h>

class CCpGl;

// The keys held at present, as copies of their key-down events.
class set {
public:
  SDL_Event* events[10];

  set();
  void add(SDL_Event* e);
  void remove(SDL_Event e);
};

class CCpSDL {
protected:
  bool running;
  set events;
  Uint32 Time;  // SDL ticks at the start of the current frame

public:
  CCpGl* pCpGl;

  CCpSDL(const char* name, const char* icon);
  void Run();

protected:
  void CheckInput();
};

#endif
