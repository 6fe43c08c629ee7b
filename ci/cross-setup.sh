#!/bin/sh
# SPDX-License-Identifier: MIT
# Makes this Debian machine able to build and run the cross builds (root):
# Debian's cross compilers for i386 and s390x, GoogleTest's sources, qemu
# user emulation registered with binfmt_misc so that the tests can run the
# programs by path, the i386 C and C++ libraries that qemu-i386 runs them
# with, and expat (the XML parser of gpximport) and GeographicLib (the
# geodesics of trkinfo) for each machine.
set -eu
need=""
command -v i686-linux-gnu-g++ >/dev/null || need="$need crossbuild-essential-i386"
command -v s390x-linux-gnu-g++ >/dev/null || need="$need crossbuild-essential-s390x"
command -v qemu-s390x-static >/dev/null || need="$need qemu-user-static"
[ -f /usr/src/googletest/CMakeLists.txt ] || need="$need googletest"
[ -f /usr/lib/i386-linux-gnu/libstdc++.so.6 ] || need="$need libstdc++6:i386"
if [ -n "$need" ]; then
	dpkg --print-foreign-architectures | grep -qx i386 ||
		dpkg --add-architecture i386
	apt-get update
	DEBIAN_FRONTEND=noninteractive apt-get install -y --no-remove $need
fi

# expat as a static library in each cross compiler's own tree, where the
# cross builds look for libraries: Debian's package for that machine,
# unpacked, since the machines' versions of it need not be installable
# beside the build machine's.
for pair in i386:i686-linux-gnu s390x:s390x-linux-gnu; do
	arch=${pair%%:*}
	triplet=${pair#*:}
	[ -f /usr/$triplet/lib/libexpat.a ] && continue
	dpkg --print-foreign-architectures | grep -qx $arch || {
		dpkg --add-architecture $arch
		apt-get update
	}
	tmp=$(mktemp -d)
	(cd $tmp && apt-get download libexpat1-dev:$arch)
	dpkg -x $tmp/libexpat1-dev_*.deb $tmp/root
	multiarch=$(ls $tmp/root/usr/lib)
	mkdir -p /usr/$triplet/include /usr/$triplet/lib
	cp $tmp/root/usr/include/expat.h $tmp/root/usr/include/expat_external.h \
		$tmp/root/usr/include/$multiarch/expat_config.h /usr/$triplet/include/
	cp $tmp/root/usr/lib/$multiarch/libexpat.a /usr/$triplet/lib/
	rm -rf $tmp
done

# GeographicLib likewise: the machine's own static library and headers
# (its Config.h knows the machine's byte order).
for pair in i386:i686-linux-gnu s390x:s390x-linux-gnu; do
	arch=${pair%%:*}
	triplet=${pair#*:}
	[ -f /usr/$triplet/lib/libGeographicLib.a ] && continue
	tmp=$(mktemp -d)
	(cd $tmp && apt-get download libgeographiclib-dev:$arch)
	dpkg -x $tmp/libgeographiclib-dev_*.deb $tmp/root
	multiarch=$(ls $tmp/root/usr/lib)
	mkdir -p /usr/$triplet/include /usr/$triplet/lib
	cp -r $tmp/root/usr/include/GeographicLib /usr/$triplet/include/
	cp $tmp/root/usr/lib/$multiarch/libGeographicLib.a /usr/$triplet/lib/
	rm -rf $tmp
done

binfmt=/proc/sys/fs/binfmt_misc
[ -e $binfmt/register ] || mount -t binfmt_misc binfmt_misc $binfmt
# i386 programs run natively where the kernel runs 32-bit code: on the real
# x87 FPU, which qemu's emulation does not match in every instruction (under
# it GeographicLib's geodesics come out 0.07% short).  qemu-i386 serves only
# where the kernel cannot run them.
probe=$(mktemp -d)
printf 'int main(void) { return 0; }\n' > $probe/p.c
i686-linux-gnu-gcc -static -o $probe/p $probe/p.c
[ -e $binfmt/qemu-i386 ] && echo 0 > $binfmt/qemu-i386
if ! $probe/p 2>/dev/null; then
	# The ELF header patterns of the two machines, as qemu's own scripts
	# have them.
	if [ -e $binfmt/qemu-i386 ]; then
		echo 1 > $binfmt/qemu-i386
	else
		printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' > $binfmt/register
	fi
	echo "i386 programs run under qemu-user"
else
	echo "i386 programs run natively"
fi
rm -rf $probe
[ -e $binfmt/qemu-s390x ] || printf '%s' ':qemu-s390x:M::\x7fELF\x02\x02\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x16:\xff\xff\xff\xff\xff\xff\xff\xfc\xff\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff:/usr/bin/qemu-s390x-static:F' > $binfmt/register
echo "cross builds ready: s390x programs run under qemu-user"
