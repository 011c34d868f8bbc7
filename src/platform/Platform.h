#pragma once
// The platform pieces the program works through, one per kind of service; each host composes
// them once and they all outlive the program's delegate.
#include "platform/Background.h"
#include "platform/FilePicker.h"
#include "platform/FileTypes.h"
#include "platform/FileWatch.h"
#include "platform/HttpClient.h"
#include "platform/Launcher.h"
#include "platform/MainQueue.h"
#include "platform/Notifier.h"
#include "platform/PackageSystem.h"
#include "platform/RunningPrograms.h"
#include "platform/Shell.h"
#include "platform/SystemSettings.h"
#include "platform/UpdateConditions.h"

namespace suite {

struct Platform {
    MainQueue& queue;
    Shell& shell;
    SystemSettings& system;
    const Environment& env;
    HttpClient& http;
    Background& background;
    PackageSystem& packages;  // what this host installs, and how
    Launcher& launcher;
    Notifier& notifier;
    FilePicker& filePicker;  // feedback attachments
    FileTypes& fileTypes;
    Thumbnailer& thumbnailer;
    FileWatcher& fileWatcher;      // the package database, while hand-offs wait for it
    RunningPrograms& running;      // whether a product to install is open
    UpdateConditions& conditions;  // whether updates may download and install on their own
};

}  // namespace suite
