# Writes the three files of the package manifest of Windows' package manager
# (version, installer, default locale) for the installer just made:
#   cmake -DSETUP=... -DOUT=... -DID=... -DVERSION=... -DPRODUCT=... -DPUBLISHER=...
#         -DDOWNLOAD_BASE=... -P winget.cmake
# The manifest version is the one that the community repository accepts.
set(MANIFEST_VERSION 1.12.0)
get_filename_component(setup_name "${SETUP}" NAME)
set(INSTALLER_URL "${DOWNLOAD_BASE}/${setup_name}")
file(SHA256 "${SETUP}" SHA256)
string(TOUPPER "${SHA256}" SHA256)
set(templates "${CMAKE_CURRENT_LIST_DIR}/winget")
configure_file("${templates}/version.yaml.in" "${OUT}/${ID}.yaml" @ONLY)
configure_file("${templates}/installer.yaml.in" "${OUT}/${ID}.installer.yaml" @ONLY)
configure_file("${templates}/locale.yaml.in" "${OUT}/${ID}.locale.en-US.yaml" @ONLY)
