# Sourced by the build scripts: `launchers` holds cmake's compiler launchers for
# ccache when it is there, else nothing. Paths are taken relative to the
# checkout, so that another checkout of the same tree finds what this one built.
launchers=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}"
  launchers=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
