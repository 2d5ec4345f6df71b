#include "engine/messages.h"

namespace wrenly {

void BroadcastRegistered(const char* name) { Broadcast(RegisterMessage(name), 0, 0); }

}  // namespace wrenly
