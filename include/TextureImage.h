// Preparing a loaded image for upload as a texture: no window and no texture
// object involved, so the fuzzer can run it on its own.
#ifndef VANTREL_TEXTUREIMAGE_H
#define VANTREL_TEXTUREIMAGE_H

#include <GL/gl.h>
#include <SDL/SDL.h>

#include <vector>

// Reads a BMP image from `source` (and closes it) with SDL's loader, after
// checking the size its header claims: more than kMaxImageSide pixels on a
// side, more than kMaxImagePixels in all, or uncompressed rows that need more
// bytes than the whole file has, are refused before SDL allocates anything
// for them. Returns null when the image is refused or SDL fails.
const long kMaxImageSide = 16384;
const long kMaxImagePixels = 4096L * 4096L;
SDL_Surface* LoadBmpImage(SDL_RWops* source);

// Makes the x by y texels of 3 bytes (blue, green, red), rows back to back,
// that LoadTexture uploads. An image that lies that way already (24 bits,
// exactly x wide, at least y tall, no row padding) is used as it is: `asIs`
// is set and its own pixel buffer holds the texels. Any other image is
// converted to 24 bits by SDL and scaled by gluScaleImage into `converted`.
//
// Needs a current OpenGL context, since gluScaleImage reads the pixel-store
// state. Converting sets GL_UNPACK_ALIGNMENT to 1, and puts it back when the
// conversion fails. Returns 0 when SDL or GLU fails.
int PrepareTextureImage(SDL_Surface* image, GLuint x, GLuint y, std::vector<unsigned char>& converted,
                        bool& asIs);

#endif
