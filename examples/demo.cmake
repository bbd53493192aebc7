# Builds the demo package with wixl; sets VORLANE_DEMO_MSI.
set(VORLANE_DEMO_MSI ${CMAKE_BINARY_DIR}/examples/demo.msi)
