# The install layout, shared by the install rules and by the program, which
# finds its data folder relative to its own folder (so the installation can
# be moved, and the package's prefix need not be known when configuring).
include(GNUInstallDirs)
set(SCRIVLET_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/scrivlet)
file(RELATIVE_PATH SCRIVLET_DATA_FROM_BIN /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${SCRIVLET_INSTALL_DATADIR})
