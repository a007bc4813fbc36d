// The fonts the layout names: Wine's free MS Sans Serif and Tahoma, and
// DejaVu Sans standing in for Verdana. Missing files fall back silently.
#pragma once

void RegisterFonts();
