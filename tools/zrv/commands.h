#pragma once

#include "command.h"

#include <memory>
#include <vector>

// Every command of the tool, in the order the overview lists them.
std::vector<std::unique_ptr<Command>> allCommands();
