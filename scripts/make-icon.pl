#!/usr/bin/perl
# Draws the setup icon: a 32-bit .ico of a box with a downward arrow, written to ARGV[0]. It
# holds one 32x32 image, or one image per size in ARGV[1] (comma-separated, say "16,48"), the
# drawing scaled to each.
use strict;
use warnings;

my ($out, $sizes) = @ARGV or die "usage: make-icon.pl OUT.ico [SIZE,...]\n";
my @sizes = split(/,/, $sizes // '32');

sub image {
  my ($n) = @_;
  my $s = $n / 32;
  my @rows;
  for my $y (0 .. $n - 1) {            # bitmap rows go bottom-up
    my $row = '';
    for my $x (0 .. $n - 1) {
      my $top = $n - 1 - $y;
      my ($b, $g, $r, $a) = (0, 0, 0, 0);
      my $box = $x >= 4 * $s && $x <= 27 * $s && $top >= 14 * $s && $top <= 28 * $s;
      my $edge = $box && ($x == 4 * $s || $x == 27 * $s || $top == 14 * $s || $top == 28 * $s);
      my $shaft = $x >= 14 * $s && $x <= 17 * $s && $top >= 2 * $s && $top <= 14 * $s;
      my $head = $top >= 12 * $s && $top <= 20 * $s && abs($x - 15.5 * $s) <= 20 * $s - $top;
      if ($edge) { ($b, $g, $r, $a) = (40, 60, 90, 255) }
      elsif ($box) { ($b, $g, $r, $a) = (120, 190, 235, 255) }
      if ($shaft || $head) { ($b, $g, $r, $a) = (40, 140, 30, 255) }
      $row .= pack('CCCC', $b, $g, $r, $a);
    }
    push @rows, $row;
  }
  my $pixels = join('', @rows);
  my $mask = "\0" x (int(($n + 31) / 32) * 4 * $n);  # rows of 32-bit units, all opaque: alpha decides
  return pack('VVVvvVVVVVV', 40, $n, 2 * $n, 1, 32, 0, length($pixels) + length($mask), 0, 0, 0, 0)
    . $pixels . $mask;
}

my @dibs = map { image($_) } @sizes;
my $ico = pack('vvv', 0, 1, scalar @sizes);
my $offset = 6 + 16 * @sizes;
for my $i (0 .. $#sizes) {
  my $n = $sizes[$i] >= 256 ? 0 : $sizes[$i];
  $ico .= pack('CCCCvvVV', $n, $n, 0, 0, 1, 32, length($dibs[$i]), $offset);
  $offset += length($dibs[$i]);
}
$ico .= join('', @dibs);
open(my $fh, '>:raw', $out) or die "$out: $!\n";
print $fh $ico;
close($fh) or die "$out: $!\n";
