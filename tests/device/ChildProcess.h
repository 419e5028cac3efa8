#pragma once
// The child-process runner is shared by every test folder now.
#include "support/ChildProcess.h"
