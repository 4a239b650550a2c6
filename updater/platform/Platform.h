#pragma once
// The services the logic reaches the outside world through, chosen at start.

#include "platform/Bundle.h"
#include "platform/FileSystem.h"
#include "platform/Log.h"
#include "platform/MainLoop.h"
#include "platform/MessageChannel.h"
#include "platform/Sound.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"

namespace tallowick::platform {

struct Platform {
    MainLoop& mainLoop;
    const FileSystem& fileSystem;
    Log& log;
    const Workspace& workspace;
    const UserDefaults& userDefaults;
    const Bundle& bundle;
    MessageChannel& messageChannel;
    Sound& sound;
};

} // namespace tallowick::platform
