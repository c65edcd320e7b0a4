#include "commandinput.h"

#include "objectreader.h"
#include "sourcedevice.h"
#include "toolerror.h"

QSharedPointer<QIODevice> CommandInput::open(const QString& name)
{
    QSharedPointer<QIODevice> input;
    if (const std::optional<ObjectLocation> object = ObjectLocation::parse(name))
        input = QSharedPointer<ObjectReader>::create(*object);
    else
        input = QSharedPointer<SourceDevice>::create(name);
    if (!input->open(QIODevice::ReadOnly))
        throw ToolError(ToolError::Failure, input->errorString());
    return input;
}
