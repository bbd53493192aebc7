#!/usr/bin/perl
# Makes a wixl-built package reproducible: wixl stamps the summary information with the time of
# the build (creation and last-save time) and a random package code. This replaces the times
# with SOURCE_DATE_EPOCH (or a fixed date) and the package code with one derived from the
# package's own bytes, so that the same sources give the same bytes and a different package
# gets a different code.
#   normalize-msi.pl IN.msi OUT.msi
use strict;
use warnings;
use Digest::SHA qw(sha1);

my ($in, $out) = @ARGV;
die "usage: normalize-msi.pl IN.msi OUT.msi\n" unless defined $out;
open(my $fh, '<:raw', $in) or die "$in: $!\n";
my $msi = do { local $/; <$fh> };
close($fh);

# Revision number (a VT_LPSTR of 39 bytes: the braced code and its NUL), then the two
# VT_FILETIME values. The property set lies in one piece in a package this small; anything
# else fails the build rather than leaving a stamp behind.
my $pattern = qr/(\x1e\0\0\0\x27\0\0\0)(\{[0-9A-F-]{36}\})(\0\0)(\x40\0\0\0)(.{8})(\x40\0\0\0)(.{8})/s;
my @found;
while ($msi =~ /$pattern/g) {
    push @found, $-[0];
}
die "$in: expected one summary information block, found " . scalar(@found) . "\n"
    unless @found == 1;

my $epoch = $ENV{SOURCE_DATE_EPOCH} // 1767225600;    # 2026-01-01 00:00:00 UTC
my $ticks = ($epoch + 11644473600) * 10000000;         # FILETIME: 100 ns since 1601
my $filetime = pack('VV', $ticks % 4294967296, int($ticks / 4294967296));

my $blank = '{' . ('0' x 8) . '-' . ('0' x 4) . '-' . ('0' x 4) . '-' . ('0' x 4) . '-' . ('0' x 12) . '}';
$msi =~ s/$pattern/$1$blank$3$4$filetime$6$filetime/;
my $h = uc(unpack('H*', sha1($msi)));
# Laid out as a name-based code: version nibble 5, variant bits 10.
my $variant = sprintf('%X', 8 | (hex(substr($h, 16, 1)) & 3));
my $code = '{' . join('-', substr($h, 0, 8), substr($h, 8, 4), '5' . substr($h, 13, 3),
                      $variant . substr($h, 17, 3), substr($h, 20, 12)) . '}';
$msi =~ s/\Q$blank\E/$code/;

open(my $oh, '>:raw', $out) or die "$out: $!\n";
print $oh $msi;
close($oh) or die "$out: $!\n";
