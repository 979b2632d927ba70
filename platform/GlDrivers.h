// Keeping the GL driver out of the program's own process.
#pragma once

namespace platform {

// Nothing in the program's own windows is drawn with OpenGL, yet GTK
// probes GLX when it opens the display and WebKit's side of the web panel
// sets up EGL. Each loads the system's GL driver, which with Mesa's
// software driver costs some 24 MiB of private memory. The web panel's
// helper processes keep their GL.

// Before the toolkit opens the display. A GDK_GL the user set is kept.
void SkipToolkitGlProbe();
// Once the toolkit is up: what the program starts (the browser, ffmpeg)
// gets the environment as it was.
void EndToolkitGlProbeSkip();

// Before the web panel is made: WebKit then hands the web process's frames
// over in shared memory. Does nothing where EGL is not libglvnd's or the
// user chose the EGL drivers.
void KeepEglOutOfThisProcess();

} // namespace platform
