#pragma once

#include <memory>

#include "store/IniFile.h"
#include "store/WindowWithSettings.h"

namespace vandrel {

// The run of the program around its main window, as main calls it:
//
//   InitProcessValues(argc, argv);
//   std::unique_ptr<CIniFile> settings = StartUp();
//   main_frame.LoadSettings(*settings);    // also creates and loads the cache
//   settings.reset();
//   if (!CreateMainWindow()) { ShutDown(nullptr); return 0; }
//   const int result = RunMessageLoop();
//   ShutDown(&main_frame);                 // also saves and deletes the cache
//   return result;

// Registers the media-file kinds in their probing order, reads the settings
// file (a missing one leaves every key at its default) and lets each kind read
// its page settings. The file is handed to the main frame and then dropped.
std::unique_ptr<CIniFile> StartUp();

// Writes the settings into a fresh, empty settings file (the main frame's
// keys, then each media-file kind's page settings) and replaces the old file
// with it; then destroys the media-file kinds. With no main frame (its window
// could not be made) nothing is written.
void ShutDown(CWindowWithSettings* main_frame);

}  // namespace vandrel
