#pragma once

// The maker's release-signing public key (base64 of the 32 raw bytes). The
// secret half never enters the repository; docs/RELEASING.md says where it
// lives. A build may name another key at compile time (the tests' own
// upgrader does); nothing at run time can.
#ifdef LWJXC_UPGRADE_PUBLIC_KEY
inline constexpr char kUpgradePublicKey[] = LWJXC_UPGRADE_PUBLIC_KEY;
#else
inline constexpr char kUpgradePublicKey[] = "H/DM3mLKYw/kRY/MMsjrrJHIG2ecSMn6/0oqACBPwr0=";
#endif
