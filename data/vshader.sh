#version 120
// Shared by both programs. The fixed-function matrices hold the current
// pass's view: the light's in the light pass, the camera's in the scene pass.

uniform vec3 cpos;  // camera position (main program only; zero in the light pass)

varying vec3 vEye;       // position in the pass's eye space
varying vec3 vWorld;     // world position, meaningful in the scene pass
varying vec3 vNormal;    // flat face normal; objects only translate, so it is a world normal
varying vec2 vTexCoord;

void main() {
  vec4 eye = gl_ModelViewMatrix * gl_Vertex;
  vEye = eye.xyz;
  // The camera's model-view is a rotation times a translation by the
  // object's offset minus the camera position: undoing the rotation and
  // adding the camera position back gives the world position, whatever
  // the object's offset.
  vWorld = transpose(mat3(gl_ModelViewMatrix)) * eye.xyz + cpos;
  vNormal = gl_Normal;
  vTexCoord = gl_MultiTexCoord0.xy;
  gl_Position = gl_ModelViewProjectionMatrix * gl_Vertex;
}
