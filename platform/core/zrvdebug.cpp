#include "core/zrvdebug.h"

#include <QLoggingCategory>
#include <QMutex>
#include <QMutexLocker>
#include <map>
#include <memory>
#include <string>

namespace {

// QLoggingCategory keeps the name pointer it is given and registers itself for the rules
// filter, so each category lives, with its name, until the process ends.
const QLoggingCategory& categoryNamed(const char* name)
{
    struct Entry
    {
        std::string name;
        std::unique_ptr<QLoggingCategory> category;
    };
    static QMutex mutex;
    static std::map<std::string, Entry>* categories = new std::map<std::string, Entry>;

    QMutexLocker lock(&mutex);
    auto found = categories->find(name);
    if (found == categories->end()) {
        found = categories->emplace(name, Entry{name, nullptr}).first;
        found->second.category = std::make_unique<QLoggingCategory>(found->second.name.c_str());
    }
    return *found->second.category;
}

} // namespace

ZrvDebug::ZrvDebug(const char* category)
    : category_(categoryNamed(category))
{
}

QDebug ZrvDebug::debug() const
{
    return QMessageLogger().debug(category_);
}

QDebug ZrvDebug::infoH() const
{
    return QMessageLogger().info(category_);
}

QDebug ZrvDebug::warning() const
{
    return QMessageLogger().warning(category_);
}

QDebug ZrvDebug::error() const
{
    return QMessageLogger().critical(category_);
}
