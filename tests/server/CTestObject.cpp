#include "CTestObject.h"

int CTestObject::created = 0;
int CTestObject::alive = 0;

CTestObject::CTestObject(IUnknown* outer) : CUnknown(L"test object", outer)
{
    ++created;
    ++alive;
}

CTestObject::~CTestObject()
{
    --alive;
}
