// The analysis object an export call is working on, per thread, so that
// calls on different threads never see each other's object.
#pragma once

#include "stream/mp3_file_info.h"

namespace velkor {

// The object of the export call running on this thread, or nullptr.
Mp3FileInfo* current_object();

// Makes an object the current one for the length of a scope.
class CurrentObjectScope {
public:
    explicit CurrentObjectScope(Mp3FileInfo& object);
    ~CurrentObjectScope();
    CurrentObjectScope(const CurrentObjectScope&) = delete;
    CurrentObjectScope& operator=(const CurrentObjectScope&) = delete;

private:
    Mp3FileInfo* previous_;
};

}  // namespace velkor
