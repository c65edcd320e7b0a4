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

    // Fills s from the device (see readFully), so bytes come in whole requests whatever the
    // device's read sizes; -1 at the device's end. A failed device read throws
    // Exception::Compressor with the device's error text.
    std::streamsize read(char* s, std::streamsize n);

private:
    QSharedPointer<QIODevice> device_;
};

} // namespace boost::iostreams
