// The fonts the layout names, registered for the application:
// - Wine's bitmap MS Sans Serif, one font per strike (built into the
//   program), so that 8, 10 and 12 pt each get the strike drawn for them;
// - Wine's Tahoma, regular only: the bold file shipped with it carries the
//   regular outlines, and without it Qt emboldens the regular face;
// - DejaVu Sans standing in for Verdana.
// Above a device pixel ratio of 1 a bitmap face cannot scale, so Tahoma,
// the scalable face of the same design, stands in for MS Sans Serif: its
// outlines in a font named MS Sans Serif (built into the program) whose
// line is as tall as the bitmap face's.
// Missing files fall back silently.
#pragma once

void RegisterFonts();
