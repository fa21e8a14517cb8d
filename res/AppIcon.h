#pragma once
// The application's icon: the scalable picture compiled into the resources,
// rendered at the sizes window managers, task bars and file managers ask for.

#include <QIcon>

// The icon ":/ondrel.svg" rendered at 16, 24, 32, 48, 64, 128 and 256 pixels.
// A null icon when the picture cannot be read.
QIcon CreateAppIcon();
