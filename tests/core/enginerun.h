#pragma once

#include "core/encryption/encryptorbase.h"
#include "support/streamtesting.h"

#include <cryptopp/cryptlib.h>
#include <memory>

using namespace ZRV::Core::Encryption;

// An engine over a source, set up in the callers' order (source, IV, key, init).
inline std::unique_ptr<EncryptorBase> makeEngine(Algorithm algorithm, bool encrypt, Type type, const QByteArray& key,
                                                 const QByteArray& iv, QSharedPointer<QIODevice> source)
{
    std::unique_ptr<EncryptorBase> engine(EncryptorBase::create(algorithm, encrypt, type));
    engine->setSource(std::move(source));
    engine->setIv(iv);
    engine->setKey(key);
    engine->init();
    return engine;
}

// Reads until atEnd(), readSize bytes at a time; bounded, so a fault fails instead of hanging.
inline QByteArray drainEngine(EncryptorBase& engine, qint64 readSize = 65536)
{
    QByteArray output;
    QByteArray chunk(int(readSize), Qt::Uninitialized);
    for (int calls = 0; !engine.atEnd(); ++calls) {
        if (calls == 1000000) {
            ADD_FAILURE() << "engine never reached its end";
            break;
        }
        const qint64 count = engine.readData(chunk.data(), readSize);
        EXPECT_TRUE(count >= 0 && count <= readSize);
        output.append(chunk.constData(), int(count));
    }
    return output;
}

inline QByteArray transform(Algorithm algorithm, bool encrypt, Type type, const QByteArray& key, const QByteArray& iv,
                            const QByteArray& input)
{
    return drainEngine(*makeEngine(algorithm, encrypt, type, key, iv, openBuffer(input)));
}
