#pragma once

#include <QIODevice>
#include <QSharedPointer>
#include <boost/iostreams/categories.hpp>
#include <iosfwd>

namespace boost::iostreams {

// A Boost.Iostreams Source over a QIODevice, so a filter chain can pull from any device.
class IoDeviceSource
{
public:
    typedef char char_type;
    typedef source_tag category;

    explicit IoDeviceSource(QSharedPointer<QIODevice> device);

    // The device's read(); a device that yields nothing (0, or -1 on failure) is at its end, as
    // every source of this library is blocking, so -1 is returned to end the chain's input.
    std::streamsize read(char* s, std::streamsize n);

private:
    QSharedPointer<QIODevice> device_;
};

} // namespace boost::iostreams
