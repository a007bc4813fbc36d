// What the window manager is asked for a secondary window: no maximise
// (and, for a popup, no minimise). Window managers take that from the
// window's Motif hints, which Qt sets from its flags; openbox alone ignores
// them for minimise and maximise (by design: it lets no hint remove a
// button) and honours only the window type, offering neither to a toolbar.
// Other managers must not get a toolbar: GNOME's mutter draws it no title
// bar, KWin no close button.
#pragma once

#include <QString>

class QWidget;

// Under openbox, makes `window` (not shown yet) a toolbar-type window, so
// that openbox offers it neither minimise nor maximise; elsewhere leaves it
// to its flags, and undoes at once a maximise or full screen that comes
// anyway. This creates the native window, which fixes how a later
// move is read: place the window first when its frame's corner is to go
// where it is moved.
void AskForNoMaximise(QWidget *window);

// Shows `window` (a top-level widget) maximised. A window manager that
// maps it in its normal state all the same (GNOME's mutter 48 ignores the
// state asked for before the map) is asked again until it complies, in
// the first seconds only and while neither the program nor the user has
// changed the window's state.
void ShowMaximised(QWidget *window);

// The name the running X11 window manager gives itself (_NET_WM_NAME of
// its check window); empty without X11 or a manager that names itself.
QString WindowManagerName();
