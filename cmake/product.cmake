# The product executables of this tree: setup.exe with the demo package (or VORLANE_MSI) and
# the stub without a payload, signed when a key is configured.

# The demo package (examples/) is what setup.exe carries unless VORLANE_MSI names another.
include(examples/demo.cmake)
if(VORLANE_MSI)
  set(VORLANE_SETUP_MSI ${VORLANE_MSI})
else()
  set(VORLANE_SETUP_MSI ${VORLANE_DEMO_MSI})
endif()
vorlane_add_setup(NAME setup MSI ${VORLANE_SETUP_MSI})
# The stub without a payload, beside setup-pack: what a user copies to pack their own package.
vorlane_add_setup(NAME setup_stub NO_PAYLOAD OUTPUT_NAME setup-stub)
include(cmake/sign.cmake)
vorlane_sign(setup)
