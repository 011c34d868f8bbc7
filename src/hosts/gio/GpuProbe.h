#pragma once
// Whether this machine has a GPU to draw with. Without one, OpenGL is emulated on the CPU: GTK
// then draws its widgets with cairo, and the web view composites without OpenGL, because
// emulated OpenGL costs the first frames their shader compilation and every animated frame most
// of a core.
namespace suite::gtk {

// True when a DRM render node (/dev/dri/renderD*) existed when first asked. The answer is kept
// for the run: the renderer is chosen once at start, and the window and the web view must draw
// for the renderer it chose.
bool hasGpuRenderNode();

}  // namespace suite::gtk
