#include "tooltest.h"

#include "repositorysettings.h"

#include <QDir>
#include <QFile>
#include <QProcess>

ToolTest::Run ToolTest::runZrv(const QStringList& arguments, const QByteArray& password, const QByteArray& input)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("ZRV_PASSWORD"));
    if (!password.isEmpty())
        environment.insert(QStringLiteral("ZRV_PASSWORD"), QString::fromUtf8(password));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(ZRV_BINARY), arguments);
    Run run;
    if (!process.waitForStarted(10'000))
        return run;
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(120'000)) {
        process.kill();
        process.waitForFinished(5'000);
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

std::unique_ptr<QProcess> ToolTest::startZrv(const QStringList& arguments, const QByteArray& password)
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("ZRV_PASSWORD"));
    if (!password.isEmpty())
        environment.insert(QStringLiteral("ZRV_PASSWORD"), QString::fromUtf8(password));
    process->setProcessEnvironment(environment);
    process->start(QStringLiteral(ZRV_BINARY), arguments);
    process->waitForStarted(10'000);
    return process;
}

int ToolTest::shell(const QString& commandLine)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ZRV"), QStringLiteral(ZRV_BINARY));
    environment.insert(QStringLiteral("ZRV_PASSWORD"), QStringLiteral("secret"));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral("bash"), {QStringLiteral("-c"), commandLine});
    if (!process.waitForFinished(120'000)) {
        process.kill();
        process.waitForFinished(5'000);
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

ToolTest::Run ToolTest::init(const QString& repository, const QStringList& options) const
{
    return runZrv(QStringList{"init", "-q", "--kdf-iterations", "1000", "--block-size", "4096"} + options
                  + QStringList{path(repository)});
}

void ToolTest::initVersion4(const QString& repository) const
{
    QDir().mkpath(path(repository));
    QFile::setPermissions(path(repository), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    RepositorySettings settings = RepositorySettings::create(ZRV::Core::Encryption::Aes256, ZRV::Core::Compression::Lz4,
                                                             4096, 1000, RepositorySettings::Adopted);
    settings.seal(settings.passwordKey("secret"));
    const QString file = write(repository + QStringLiteral("/settings"), settings.encode());
    QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
}

QString ToolTest::write(const QString& name, const QByteArray& bytes) const
{
    QFile file(path(name));
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return file.fileName();
}

QByteArray ToolTest::read(const QString& name) const
{
    QFile file(path(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
