#include "shared/crypt_handles.h"

namespace vlt {

bool acquireContainer(const std::string& container, Provider provider, HCRYPTPROV* prov) {
    if (CryptAcquireContextA(prov, container.c_str(), providerName(provider), PROV_RSA_FULL, 0)) return true;
    return CryptAcquireContextA(prov, container.c_str(), providerName(provider), PROV_RSA_FULL, CRYPT_NEWKEYSET) !=
           FALSE;
}

bool deleteContainer(const std::string& container, Provider provider) {
    HCRYPTPROV unused = 0;
    return CryptAcquireContextA(&unused, container.c_str(), providerName(provider), PROV_RSA_FULL,
                                CRYPT_DELETEKEYSET) != FALSE;
}

}  // namespace vlt
