// Watches the device contexts this program and every .nbp it loads hold, and each
// DeleteObject they make, through their import tables. Windows refuses to delete a font,
// bitmap, brush or pen while it is selected into a device context: DeleteObject returns
// FALSE and the object stays for good, a handle lost each time. Wine deletes it once it is
// deselected, so only a watch on the calls shows the fault here.
#pragma once

// Registers the watch around all of the program's tests: before them it patches this
// program's imports (the plug-in's code linked in) and, through its LoadLibraryW, those of
// each .nbp it loads from then on; after them it fails the run for each deletion of a
// selected object it saw (the test, the object, the device context holding it, the call's
// module and offset), and when it saw no device context at all: then it watched nothing.
// Register it before the program's other environments, so that it checks after their
// teardown.
bool watchGdiAroundAllTests();
