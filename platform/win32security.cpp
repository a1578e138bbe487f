#include "win32security.h"

OwnerOnlySecurity::OwnerOnlySecurity()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    m_token.resize(size);
    const bool haveUser = size > 0 && GetTokenInformation(token, TokenUser, m_token.data(), size, &size);
    CloseHandle(token);
    if (!haveUser)
        return;
    m_user = reinterpret_cast<TOKEN_USER *>(m_token.data())->User.Sid;
    const DWORD aclSize = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(m_user);
    m_acl.resize(aclSize);
    if (!InitializeAcl(Dacl(), aclSize, ACL_REVISION) || !AddAccessAllowedAce(Dacl(), ACL_REVISION, FILE_ALL_ACCESS, m_user))
        return;
    // Protected: nothing is inherited from the folder.
    if (!InitializeSecurityDescriptor(&m_descriptor, SECURITY_DESCRIPTOR_REVISION)
        || !SetSecurityDescriptorOwner(&m_descriptor, m_user, FALSE)
        || !SetSecurityDescriptorDacl(&m_descriptor, TRUE, Dacl(), FALSE)
        || !SetSecurityDescriptorControl(&m_descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
        return;
    m_attributes.nLength = sizeof m_attributes;
    m_attributes.lpSecurityDescriptor = &m_descriptor;
    m_attributes.bInheritHandle = FALSE;
    m_valid = true;
}

bool OwnerOnlySecurity::IsOwnerOnly(PACL dacl)
{
    // No DACL at all grants everyone everything.
    if (!m_valid || !dacl)
        return false;
    ACL_SIZE_INFORMATION info{};
    if (!GetAclInformation(dacl, &info, sizeof info, AclSizeInformation))
        return false;
    for (DWORD i = 0; i < info.AceCount; ++i) {
        void *ace = nullptr;
        if (!GetAce(dacl, i, &ace))
            return false;
        const auto *header = static_cast<ACE_HEADER *>(ace);
        if (header->AceType == ACCESS_DENIED_ACE_TYPE)
            continue; // taking rights away from someone is no leak
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE)
            return false;
        auto *allowed = static_cast<ACCESS_ALLOWED_ACE *>(ace);
        if (!EqualSid(reinterpret_cast<PSID>(&allowed->SidStart), m_user))
            return false;
    }
    return true;
}
