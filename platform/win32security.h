#pragma once

// The owner-only access control of private files on Windows: a protected
// DACL with one entry, the current user's full access.

#include <windows.h>

#include <vector>

class OwnerOnlySecurity {
public:
    OwnerOnlySecurity();
    bool Valid() const { return m_valid; }
    // For CreateFileW: the new file gets the owner-only DACL from its creation.
    SECURITY_ATTRIBUTES *Attributes() { return m_valid ? &m_attributes : nullptr; }
    PACL Dacl() { return reinterpret_cast<PACL>(m_acl.data()); }
    PSID User() { return m_user; }
    // True when every entry that grants access names the current user alone.
    bool IsOwnerOnly(PACL dacl);

private:
    std::vector<unsigned char> m_token;
    std::vector<unsigned char> m_acl;
    PSID m_user = nullptr;
    SECURITY_DESCRIPTOR m_descriptor{};
    SECURITY_ATTRIBUTES m_attributes{};
    bool m_valid = false;
};
