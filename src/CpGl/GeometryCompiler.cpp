// Geometry compilation: the indexed mesh becomes per-corner arrays with flat
// face normals, uploaded to the three buffer objects.
#include <iostream>

#include "CpGl.h"

void CCpGl::CompileObjects() {
  std::cout << "Compiling Objects\n";
  SGraphicObject& object = pGraphicObjectArray[0];
  const unsigned long n = (unsigned long)object.iIndexCount;
  GLuint* index = object.pIndexArray;

  Vector3f* positions = new Vector3f[n];
  Vector2f* texCoords = new Vector2f[n];
  pNormalArray = new Vector3f[n];

  for (unsigned long i = 0; i + 2 < n; i += 3) {
    for (int c = 0; c < 3; ++c) positions[i + c] = pVertexArray[index[i + c]];
    Vector3f tmp1 = positions[i + 1] - positions[i];
    Vector3f tmp2 = positions[i + 2] - positions[i + 1];
    Vector3f tmp3 = tmp1.CrossProduct(tmp2);
    tmp3.Rescale(1.0f);
    for (int c = 0; c < 3; ++c) pNormalArray[i + c] = tmp3;
    for (int c = 0; c < 3; ++c) texCoords[i + c] = pTexCordArray[index[i + c]];
  }
  for (unsigned long k = 0; k < n; ++k) index[k] = (GLuint)k;

  delete[] pVertexArray;
  pVertexArray = positions;
  delete[] pTexCordArray;
  pTexCordArray = texCoords;
  lTexCordCount = (long)n;
  lVertexCount = (long)n;

  glBindBuffer(GL_ARRAY_BUFFER, vbos[0]);
  glBufferData(GL_ARRAY_BUFFER, (GLsizeiptr)(12 * n), pVertexArray, GL_STATIC_DRAW);
  glVertexPointer(3, GL_FLOAT, 0, nullptr);

  glBindBuffer(GL_ARRAY_BUFFER, vbos[1]);
  glBufferData(GL_ARRAY_BUFFER, (GLsizeiptr)(8 * n), pTexCordArray, GL_STATIC_DRAW);
  glTexCoordPointer(2, GL_FLOAT, 0, nullptr);

  glBindBuffer(GL_ARRAY_BUFFER, vbos[2]);
  WriteGlErrorLine();
  glBufferData(GL_ARRAY_BUFFER, (GLsizeiptr)(12 * n), pNormalArray, GL_STATIC_DRAW);
  WriteGlErrorLine();
  glNormalPointer(GL_FLOAT, 0, nullptr);
  WriteGlErrorLine();

  std::cout << "Objects Compiled\n";
}
