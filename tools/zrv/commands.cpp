#include "commands.h"

#include "infocommand.h"
#include "packcommand.h"
#include "unpackcommand.h"
#include "verifycommand.h"

std::vector<std::unique_ptr<Command>> allCommands()
{
    std::vector<std::unique_ptr<Command>> commands;
    commands.push_back(std::make_unique<PackCommand>());
    commands.push_back(std::make_unique<UnpackCommand>());
    commands.push_back(std::make_unique<InfoCommand>());
    commands.push_back(std::make_unique<VerifyCommand>());
    return commands;
}
