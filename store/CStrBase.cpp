#include "store/CStrBase.h"

std::atomic<long> CStrBase::_instances{0};
std::atomic<long> CStrBase::_instancesTotal{0};

CStrBase::CStrBase() {
    ++_instances;
    ++_instancesTotal;
}

CStrBase::CStrBase(const CStrBase& other) : _ceoid(other._ceoid) {
    ++_instances;
    ++_instancesTotal;
}

CStrBase& CStrBase::operator=(const CStrBase& other) {
    _ceoid = other._ceoid;
    return *this;
}

CStrBase::~CStrBase() {
    --_instances;
}

void CStrBase::ExportToXML(pugi::xml_node) const {}

long CStrBase::GetNumeroInstancias() {
    return _instances.load();
}

long CStrBase::GetNumeroInstanciasTotal() {
    return _instancesTotal.load();
}
