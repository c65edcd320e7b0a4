#pragma once

#include "core/encryption/algorithm.h"

#include <QByteArray>
#include <QIODevice>
#include <QSharedPointer>

// Helpers shared by the container tests.
namespace ContainerTesting {

// Deterministic bytes that compress somewhat, like real files.
QByteArray sampleData(int size);

// Reads in requests of `chunk` bytes until atEnd(); fails the test if reads stall.
QByteArray readToEnd(QIODevice& device, int chunk = 4096);

// The bytes of a container of `data` made by the package of `version` (1 or 2).
QByteArray pack(int version, ZRV::Core::Encryption::Algorithm algorithm, bool compressed, const QByteArray& data,
                const QByteArray& password = "secret");

} // namespace ContainerTesting
