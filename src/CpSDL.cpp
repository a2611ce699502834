#include "CpSDL.h"

#include <cstdlib>
#include <iostream>

#include "CpGl.h"

// ---- held-key set ----

set::set() {
  for (int i = 0; i < 10; ++i) events[i] = nullptr;
}

void set::add(SDL_Event* e) {
  for (int i = 0; i < 10; ++i) {
    if (!events[i]) {
      events[i] = new SDL_Event(*e);
      return;
    }
  }
  std::cout << "Error: too many events\n";
}

void set::remove(SDL_Event e) {
  for (int i = 0; i < 10; ++i) {
    if (events[i] && events[i]->type == SDL_KEYDOWN && events[i]->key.keysym.sym == e.key.keysym.sym) {
      delete events[i];
      events[i] = nullptr;
      return;
    }
  }
  std::cout << "Error: deleting an unexisting element\n";
}

// ---- application object ----

namespace {

// Nothing after this may touch OpenGL, so a failed set-up ends the program here.
void ExitWithSdlError(const char* what) {
  std::cout << "Error: " << what << " failed: " << SDL_GetError() << std::endl;
  std::exit(1);
}

const Uint32 kFramePeriodMs = 40;

}  // namespace

CCpSDL::CCpSDL(const char* name, const char* icon) {
#ifndef _WIN32
  // SDL 1.2 through sdl12-compat would draw OpenGL into a framebuffer object
  // of its own standing in for the window, and the light pass's framebuffer,
  // named after the render target, can share its name: the window would then
  // show the light's view. Drawing straight to the window avoids both.
  setenv("SDL12COMPAT_OPENGL_SCALING", "0", 1);
#endif
  if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_VIDEO | SDL_INIT_JOYSTICK) != 0) ExitWithSdlError("SDL_Init");
  SDL_WM_SetCaption(name, icon);
  if (!SDL_SetVideoMode(640, 480, 8, SDL_OPENGL)) ExitWithSdlError("SDL_SetVideoMode");
  running = true;
  Time = SDL_GetTicks();
  SDL_ShowCursor(SDL_DISABLE);
  SDL_WM_GrabInput(SDL_GRAB_ON);
  std::cout << "Init: SDL\n";
  pCpGl = new CCpGl();
}

void CCpSDL::Run() {
  while (running) {
    CheckInput();
    pCpGl->Draw();
    SDL_GL_SwapBuffers();

    Uint32 elapsed = SDL_GetTicks() - Time;
    std::cout << 1000.0 / (double)elapsed << std::endl;

    // The wait sleeps, so a running viewer takes no more CPU than its frames
    // need; the check after each sleep keeps frames at least 40 ms apart.
    for (;;) {
      elapsed = SDL_GetTicks() - Time;
      if (elapsed > kFramePeriodMs - 1) break;
      SDL_Delay(kFramePeriodMs - elapsed);
    }
    Time = SDL_GetTicks();
  }
}

// ---- input ----

namespace {

void ApplyHeldKey(SDLKey key, CCpGl* gl, bool& running) {
  switch (key) {
    case SDLK_q: gl->AddToLightPos(-5, 0, 0); break;
    case SDLK_w: gl->AddToLightPos(5, 0, 0); break;
    case SDLK_e: gl->AddToLightPos(0, 0, -5); break;
    case SDLK_d: gl->AddToLightPos(0, 0, 5); break;
    case SDLK_f: gl->AddToLightPos(0, -5, 0); break;
    case SDLK_r: gl->AddToLightPos(0, 5, 0); break;
    case SDLK_ESCAPE: running = false; break;
    case SDLK_LEFT: {
      Vector3f d(gl->dx, gl->dy, gl->dz);
      gl->AddToPos(d.CrossProduct(Vector3f(0, -1, 0)).Rescale(5.0f));
      break;
    }
    case SDLK_RIGHT: {
      Vector3f d(gl->dx, gl->dy, gl->dz);
      gl->AddToPos(d.CrossProduct(Vector3f(0, 1, 0)).Rescale(5.0f));
      break;
    }
    case SDLK_UP: gl->AddToPos(Vector3f(gl->dx * 5.0f, gl->dy * 5.0f, gl->dz * 5.0f)); break;
    case SDLK_DOWN: gl->AddToPos(Vector3f(gl->dx * -5.0f, gl->dy * -5.0f, gl->dz * -5.0f)); break;
    case SDLK_z: gl->AddToLightAngle(0.3f, 0); break;
    case SDLK_x: gl->AddToLightAngle(-0.3f, 0); break;
    case SDLK_a: gl->AddToLightAngle(0, 0.3f); break;
    case SDLK_s: gl->AddToLightAngle(0, -0.3f); break;
    default: break;
  }
}

}  // namespace

void CCpSDL::CheckInput() {
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    if (event.type == SDL_KEYDOWN) {
      events.add(&event);
      if (event.key.keysym.sym == SDLK_l) pCpGl->lmap = pCpGl->lmap == 0 ? 1 : 0;
    }
    if (event.type == SDL_KEYUP) events.remove(event);
    if (event.type == SDL_QUIT) running = false;
    if (event.type == SDL_MOUSEMOTION)
      pCpGl->AddToAngles((float)(event.motion.yrel * 0.3), (float)(event.motion.xrel * 0.3));
  }

  for (int i = 0; i < 10; ++i) {
    SDL_Event* held = events.events[i];
    if (held && held->type == SDL_KEYDOWN) ApplyHeldKey(held->key.keysym.sym, pCpGl, running);
  }
}
