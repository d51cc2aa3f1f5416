// The capabilities beside the specified window reach the user through the tree's context menu
// and keyboard shortcuts; each registers its commands here, in menu order.

#include "ui/main/mainform.h"

namespace kb {

void Main::installCommands() {}

} // namespace kb
