// The per-thread current analysis object.
#include "interface/current_object.h"

namespace velkor {

namespace {

thread_local Mp3FileInfo* current = nullptr;

}  // namespace

Mp3FileInfo* current_object() { return current; }

CurrentObjectScope::CurrentObjectScope(Mp3FileInfo& object) : previous_(current) {
    current = &object;
}

CurrentObjectScope::~CurrentObjectScope() { current = previous_; }

}  // namespace velkor
