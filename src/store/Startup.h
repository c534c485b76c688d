#pragma once

#include <memory>

#include "store/IniFile.h"
#include "store/WindowWithSettings.h"

namespace vandrel {

// The run of the program around its main window, as main calls it:
//
//   InitProcessValues(argc, argv);
//   const MediaFileTypesScope media_types;  // registered until main returns
//   std::unique_ptr<CIniFile> settings = StartUp();
//   main_frame.LoadSettings(*settings);    // also creates and loads the cache
//   settings.reset();
//   if (!CreateMainWindow()) { ShutDown(nullptr); return 0; }
//   const int result = RunMessageLoop();
//   ShutDown(&main_frame);                 // also saves the cache
//   return result;

// Reads the settings file (a missing one leaves every key at its default) and
// lets each registered media-file kind read its page settings. The file is
// handed to the main frame and then dropped.
std::unique_ptr<CIniFile> StartUp();

// Writes the settings into a fresh, empty settings file (the main frame's
// keys, then each media-file kind's page settings) and replaces the old file
// with it. With no main frame (its window could not be made) nothing is
// written.
void ShutDown(CWindowWithSettings* main_frame);

}  // namespace vandrel
