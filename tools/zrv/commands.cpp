#include "commands.h"

#include "backupcommand.h"
#include "checkcommand.h"
#include "fetchcommand.h"
#include "infocommand.h"
#include "initcommand.h"
#include "packcommand.h"
#include "restorecommand.h"
#include "revisionscommand.h"
#include "unpackcommand.h"
#include "verifycommand.h"

std::vector<std::unique_ptr<Command>> allCommands()
{
    std::vector<std::unique_ptr<Command>> commands;
    commands.push_back(std::make_unique<PackCommand>());
    commands.push_back(std::make_unique<UnpackCommand>());
    commands.push_back(std::make_unique<InfoCommand>());
    commands.push_back(std::make_unique<VerifyCommand>());
    commands.push_back(std::make_unique<InitCommand>());
    commands.push_back(std::make_unique<BackupCommand>());
    commands.push_back(std::make_unique<RestoreCommand>());
    commands.push_back(std::make_unique<RevisionsCommand>());
    commands.push_back(std::make_unique<CheckCommand>());
    commands.push_back(std::make_unique<FetchCommand>());
    return commands;
}
