#include "server/AtlException.h"

void throwAtlException(HRESULT hr)
{
    throw CAtlException(hr);
}
