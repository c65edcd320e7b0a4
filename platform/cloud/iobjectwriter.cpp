#include "cloud/iobjectwriter.h"

namespace ZRV::Cloud::Api {

IObjectWriter::~IObjectWriter() = default;

} // namespace ZRV::Cloud::Api
