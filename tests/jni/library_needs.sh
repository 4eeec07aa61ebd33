#!/usr/bin/env bash
# The library a Java program loads needs nothing beyond glibc, libm,
# libstdc++ and libgcc_s; the newest glibc, GLIBCXX and CXXABI symbol
# versions it calls are the ones java/pom.xml and README state; and expat,
# linked in, stays hidden.
# Arguments: the library, java/pom.xml, README.md.
set -euo pipefail
lib=$1 pom=$2 readme=$3
status=0
needed=$(readelf -d "$lib" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
extra=$(grep -vxE 'libc\.so\.6|libm\.so\.6|libstdc\+\+\.so\.6|libgcc_s\.so\.1|ld-linux-x86-64\.so\.2' \
  <<<"$needed" || true)
if [ -n "$extra" ]; then
  echo "$lib needs more than the C and C++ runtimes:" $extra
  status=1
fi
# The newest version of the library's symbols named $1_<version>.
newest() { objdump -T "$lib" | grep -o "$1_[0-9.]*" | sed "s/^$1_//" | sort -uV | tail -n 1; }
# Symbols $1: the newest version must be the pom's property qelta.$2, and
# README must say $3 with @ standing for it.
check() {
  local have said text
  have=$(newest "$1")
  said=$(sed -n "s:.*<qelta.$2>\(.*\)</qelta.$2>.*:\1:p" "$pom")
  if [ "$have" != "$said" ]; then
    echo "$lib needs $1_$have; $pom states $said"
    status=1
  fi
  text=${3//@/$have}
  if ! grep -qF "$text" "$readme"; then
    echo "$readme does not say \"$text\""
    status=1
  fi
}
check GLIBC glibc "glibc @ or newer"
check GLIBCXX glibcxx "GLIBCXX_@"
check CXXABI cxxabi "CXXABI_@"
glibc=$(newest GLIBC)
exported=$(objdump -T "$lib" | grep -v '\*UND\*' | awk '$NF ~ /^(XML_|Xml|arc4random)/ {print $NF}')
if [ -n "$exported" ]; then
  echo "$lib exports expat's symbols:" $exported
  status=1
fi
[ $status = 0 ] && echo "$lib needs glibc $glibc and:" $needed
exit $status
