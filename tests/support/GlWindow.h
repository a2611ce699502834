// A real OpenGL context for tests: an SDL window, opened once per process.
#ifndef VANTREL_GL_WINDOW_H
#define VANTREL_GL_WINDOW_H

#include <GL/glew.h>

#include <vector>

// Opens the 640 x 480 OpenGL window (no input grab) and initialises GLEW.
// Fails the test when there is no display.
void OpenGlWindow();

// Reads the back buffer of the window (bottom row first, RGBA).
std::vector<unsigned char> ReadWindowPixels();

// RGBA of one window pixel, x from the left, y from the bottom.
struct Rgba {
  int r, g, b, a;
};
Rgba WindowPixel(int x, int y);

// Level 0 of a 2D texture as RGBA bytes, row 0 first.
std::vector<unsigned char> ReadTexture(GLuint name, int* width, int* height);

#endif
