// What assistive technology sees of the board view: a highlight circle is
// a button named after its popup, whose press opens and pins the popup; a
// popup window is a dialog named by its caption.
#pragma once

// Registers the interfaces with Qt; done once, by the first highlight.
void InstallBoardAccessibility();
