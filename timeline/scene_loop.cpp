#include "timeline/scene_loop.h"

bool DispatchPendingMessage() {
  PlatformMessage message;
  if (!PlatformPeekMessage(&message)) return false;
  PlatformDispatchMessage(message);
  return true;
}
