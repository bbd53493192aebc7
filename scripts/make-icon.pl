#!/usr/bin/perl
# Draws the setup icon, a box with a downward arrow, as an .ico written to ARGV[0]: one 32x32
# image in 16 colours (the stub's icon: four colours and transparency show exactly, in a fifth
# of the bytes of 32-bit pixels, and the stub's size matters), or, given sizes in ARGV[1]
# (comma-separated, say "16,48"), one 32-bit image per size, the drawing scaled to each (the
# tests' icons).
use strict;
use warnings;

my ($out, $sizes) = @ARGV or die "usage: make-icon.pl OUT.ico [SIZE,...]\n";
my @palette = ([0, 0, 0], [40, 60, 90], [120, 190, 235], [40, 140, 30]);   # blue, green, red

# The colour of a pixel of an n x n drawing: 0 transparent, else an index into the palette.
sub colour {
  my ($x, $top, $n) = @_;
  my $s = $n / 32;
  my $box = $x >= 4 * $s && $x <= 27 * $s && $top >= 14 * $s && $top <= 28 * $s;
  my $edge = $box && ($x == 4 * $s || $x == 27 * $s || $top == 14 * $s || $top == 28 * $s);
  my $shaft = $x >= 14 * $s && $x <= 17 * $s && $top >= 2 * $s && $top <= 14 * $s;
  my $head = $top >= 12 * $s && $top <= 20 * $s && abs($x - 15.5 * $s) <= 20 * $s - $top;
  return $shaft || $head ? 3 : $edge ? 1 : $box ? 2 : 0;
}

sub header {
  my ($n, $bits, $size, $used) = @_;
  return pack('VVVvvVVVVVV', 40, $n, 2 * $n, 1, $bits, 0, $size, 0, 0, $used, 0);
}

sub image16 {
  my $n = 32;
  my ($pixels, $mask) = ('', '');
  for my $y (0 .. $n - 1) {            # bitmap rows go bottom-up
    my @row = map { colour($_, $n - 1 - $y, $n) } 0 .. $n - 1;
    $pixels .= join('', map { chr(($row[2 * $_] << 4) | $row[2 * $_ + 1]) } 0 .. $n / 2 - 1);
    $mask .= pack('B*', join('', map { $_ == 0 ? '1' : '0' } @row));  # 1: transparent
  }
  my $colours = join('', map { pack('CCCC', @$_, 0) } @palette, ([0, 0, 0]) x (16 - @palette));
  return header($n, 4, length($pixels) + length($mask), 16) . $colours . $pixels . $mask;
}

sub image32 {
  my ($n) = @_;
  my $pixels = '';
  for my $y (0 .. $n - 1) {
    for my $x (0 .. $n - 1) {
      my $c = colour($x, $n - 1 - $y, $n);
      $pixels .= pack('CCCC', @{$palette[$c]}, $c == 0 ? 0 : 255);
    }
  }
  my $mask = "\0" x (int(($n + 31) / 32) * 4 * $n);  # all opaque: alpha decides
  return header($n, 32, length($pixels) + length($mask), 0) . $pixels . $mask;
}

my @sizes = defined $sizes ? split(/,/, $sizes) : (32);
my @dibs = defined $sizes ? map { image32($_) } @sizes : (image16());
my $ico = pack('vvv', 0, 1, scalar @sizes);
my $offset = 6 + 16 * @sizes;
for my $i (0 .. $#sizes) {
  my $n = $sizes[$i] >= 256 ? 0 : $sizes[$i];
  my ($colours, $bits) = defined $sizes ? (0, 32) : (16, 4);
  $ico .= pack('CCCCvvVV', $n, $n, $colours, 0, 1, $bits, length($dibs[$i]), $offset);
  $offset += length($dibs[$i]);
}
$ico .= join('', @dibs);
open(my $fh, '>:raw', $out) or die "$out: $!\n";
print $fh $ico;
close($fh) or die "$out: $!\n";
