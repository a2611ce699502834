# The camera pose for screenshots: turned from the start towards the area the
# default light shines on, with relative mouse motion (0.3 degrees per pixel).
showcase_pose() {
  xdotool mousemove_relative -- 0 60
  viewer_wait_frames 2
}
