#include "helpers/AtlException.h"

void throwAtlException(HRESULT hr)
{
    throw CAtlException(hr);
}
