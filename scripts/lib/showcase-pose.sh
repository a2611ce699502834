# The camera pose for screenshots, from the start (at the origin, 10 units
# above the ground, looking along -z) to the side of the area the default
# light shines on, where the shadows fall across the view rather than away
# from it. Mouse motion turns by 0.3 degrees per pixel; each frame with Up
# held flies 5 units along the view.
showcase_pose() {
  # Turn to yaw -118 and pitch up 11 degrees: towards the light's left flank.
  xdotool mousemove_relative -- -394 -36
  viewer_wait_frames 2
  # About 430 units: 370 to -x, 200 to +z and 80 up.
  viewer_hold Up 86
  # Turn back round to face the tower, its shadow and the stairs, 22 degrees down.
  xdotool mousemove_relative -- -339 109
  viewer_wait_frames 2
}
